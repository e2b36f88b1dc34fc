# The Debian package, made by CPack from the install rules (scripts/make-package.sh).
#
# CPack rather than a debian/ folder: the package holds exactly what `cmake --install` installs,
# from the tree that was just built and tested, with no second set of install rules to keep in
# step; dpkg-shlibdeps still computes the library dependencies from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kerrion)
set(CPACK_PACKAGE_VENDOR Marvane)
set(CPACK_PACKAGE_CONTACT "Marvane <kerrion@marvane.github.io>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/marvane/kerrion)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "analog VU and peak level meters for up to eight channels")
set(CPACK_PACKAGE_DESCRIPTION
  "Kerrion shows up to eight channels of one audio input on analog moving-needle meters\n(VU needle, peak bar with hold, peak lamp), full-screen. It meters ALSA devices,\nPipeWire and PulseAudio through ALSA, a JACK server, and a built-in signal generator;\nkerrion-meter prints the same levels without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries the binaries link, so dpkg-shlibdeps cannot find them: the Japanese font the
# faces ask for, Qt's own Japanese texts, the ALSA plug-ins that reach PipeWire and PulseAudio,
# xdg-open for the signal generator's control panel, and Qt's Wayland platform, so that on a
# Wayland desktop the meter screen is the compositor's own full-screen window.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n, libasound2-plugins, xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2 | pipewire-jack, qjackctl")
include(CPack)
