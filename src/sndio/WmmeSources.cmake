# The plain audio device (kind 1, "WMME") over the wave layer, in a library of its own: it is
# the sound I/O back-end that brings in ALSA, which the core sound I/O library does not link.
kerrion_library(kerrion_sndio_wmme
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SndIODeviceWMME.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WmmeDeviceThread.cpp
  PUBLIC_DEPS kerrion_sndio_device kerrion_platform_wave)
