# Debian packages, one per install component (see Install.cmake); made by
# scripts/package.sh, which also runs the checks.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orlavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orlavo developers <orlavo-dev@orlavo.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://orlavo.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL libpellix1 libpellix-dev orlavod)
if(TARGET orlavo)
  list(APPEND CPACK_COMPONENTS_ALL orlavo)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpellix.so.1 comes from libpellix1, not from an installed package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/feedcomp)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Each description: the summary line, then paragraphs (CPack indents them).
set(desc_tail "Orlavo downloads RSS and Atom feeds over HTTP/1.0 or HTTPS, takes the\nfirst headlines within a character budget, gives each a colour and sends\nthem to a stand-alone LED sign or one built into a networked clock, over\nUDP or a serial line.")

set(CPACK_DEBIAN_ORLAVO_PACKAGE_NAME orlavo)
set(CPACK_DEBIAN_ORLAVO_PACKAGE_SECTION net)
set(CPACK_COMPONENT_ORLAVO_DESCRIPTION "news headlines on LED message signs - desktop program\n${desc_tail}\n\nThis package holds the desktop program: every setting in one window,\na preview of the sign and discovery of signs on the network.")
set(CPACK_COMPONENT_ORLAVO_DEPENDS libpellix1)

set(CPACK_DEBIAN_ORLAVOD_PACKAGE_NAME orlavod)
set(CPACK_DEBIAN_ORLAVOD_PACKAGE_SECTION net)
set(CPACK_COMPONENT_ORLAVOD_DESCRIPTION "news headlines on LED message signs - service and tools\n${desc_tail}\n\nThis package holds orlavod, the update cycle without a window (with a\nsystemd user unit, one process for many signs, a web page with a JSON\nAPI and MQTT with Home Assistant discovery), the sign emulator signsim\nand the feed tools rssget and rssdump.")
set(CPACK_COMPONENT_ORLAVOD_DEPENDS libpellix1)

set(CPACK_DEBIAN_LIBPELLIX1_PACKAGE_NAME libpellix1)
set(CPACK_DEBIAN_LIBPELLIX1_PACKAGE_SECTION libs)
# dpkg's ldconfig trigger refreshes the library cache (CPack also writes
# postinst/postrm scripts calling ldconfig, which lintian warns about).
set(CPACK_DEBIAN_LIBPELLIX1_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_LIBPELLIX1_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_COMPONENT_LIBPELLIX1_DESCRIPTION "RSS feed parser and HTTP/1.0 download library\npellix parses RSS 0.9x, 1.0 and 2.0 and Atom documents in any of their\nusual encodings and downloads feeds with a bounded HTTP/1.0 engine\n(redirects, conditional requests, HTTPS).\n\nThis package holds the shared library.")

set(CPACK_DEBIAN_LIBPELLIX-DEV_PACKAGE_NAME libpellix-dev)
set(CPACK_DEBIAN_LIBPELLIX-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBPELLIX-DEV_DESCRIPTION "RSS feed parser and HTTP/1.0 download library - development files\npellix parses RSS 0.9x, 1.0 and 2.0 and Atom documents in any of their\nusual encodings and downloads feeds with a bounded HTTP/1.0 engine\n(redirects, conditional requests, HTTPS).\n\nThis package holds the headers, the CMake package and the pkg-config file.")
set(CPACK_COMPONENT_LIBPELLIX-DEV_DEPENDS libpellix1)

include(CPack)
