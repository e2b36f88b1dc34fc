# The device layer (device interface, transfer ring, ASIO device), kept in its own library so
# that it builds on the sample buffers without sharing their source list.
kerrion_library(kerrion_sndio_device
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SndIOStream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SndIOThreadContext.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SndIODevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AsioDriverList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AsioDeviceThread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SndIODeviceASIO.cpp
  PUBLIC_DEPS kerrion_sndio kerrion_platform_sync kerrion_platform_asio)
