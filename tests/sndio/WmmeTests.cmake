# Tests of the plain audio device (kind 1) against real ALSA PCMs.
add_library(kerrion_wmme_test_device STATIC ${CMAKE_CURRENT_LIST_DIR}/WmmeTestDevice.cpp)
target_link_libraries(kerrion_wmme_test_device PUBLIC kerrion_sndio_wmme GTest::gtest)
kerrion_warnings(kerrion_wmme_test_device)

# The system's endpoints are listed too: the same sanitizer suppressions as the wave layer's.
set(wmme_environment "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/platform/wave/tsan.supp")

kerrion_add_test(SndIODeviceWMME_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SndIODeviceWMME_test.cpp
  LIBS kerrion_wmme_test_device kerrion_wave_test_support
  LABELS device
  ENVIRONMENT ${wmme_environment})

kerrion_add_test(SndIODeviceWMMEJack_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SndIODeviceWMMEJack_test.cpp
  LIBS kerrion_wmme_test_device kerrion_wave_test_support
  LABELS device
  ENVIRONMENT ${wmme_environment})
