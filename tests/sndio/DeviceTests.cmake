# Tests of the device layer (device interface, transfer ring, ASIO device).
kerrion_add_test(SndIODevice_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SndIODevice_test.cpp ${CMAKE_CURRENT_LIST_DIR}/LoopbackDevice.cpp
  LIBS kerrion_sndio_device
  LABELS device)

kerrion_add_test(SndIODeviceASIO_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SndIODeviceASIO_test.cpp
  LIBS kerrion_sndio_device
  LABELS device asio)
add_dependencies(SndIODeviceASIO_test kerrion_asio_signal kerrion_test_nofactory)
target_compile_definitions(SndIODeviceASIO_test PRIVATE
  KERRION_SIGNAL_DRIVER="$<TARGET_FILE:kerrion_asio_signal>"
  KERRION_NOFACTORY_PLUGIN="$<TARGET_FILE:kerrion_test_nofactory>")
