# The metering engine (CSndIOPlayList and its worker), in a library of its own on top of the
# processors (kerrion_meter) and the device layer (kerrion_sndio_device). It links no Qt: the
# messages go out through the platform's notify target.
kerrion_library(kerrion_engine
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SndIODeviceFactory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EngineBuffers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EngineRun.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EngineBlock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SndIOPlayList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlockLevelsRing.cpp
  PUBLIC_DEPS kerrion_meter kerrion_sndio_device kerrion_sndio_wmme kerrion_platform_messages
    kerrion_platform_sync)
