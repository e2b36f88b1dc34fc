# Tests of the device layer (device interface, transfer ring, ASIO device).
kerrion_add_test(SndIODevice_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SndIODevice_test.cpp ${CMAKE_CURRENT_LIST_DIR}/LoopbackDevice.cpp
  LIBS kerrion_sndio_device
  LABELS device)
