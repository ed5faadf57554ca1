# Every install rule, each in the component that becomes one Debian package:
#   orlavo         the desktop program, its menu entry, icon and metainfo
#   orlavod        the service, its user unit and the tools
#   libpellix1     the shared library
#   libpellix-dev  headers, CMake package, pkg-config file
include(CMakePackageConfigHelpers)

set(ORLAVO_SYSTEMD_USER_UNIT_DIR "${CMAKE_INSTALL_DATADIR}/systemd/user" CACHE STRING
    "Where the systemd user unit goes, relative to the prefix (packages use lib/systemd/user)")
option(ORLAVO_PACKAGE_DOCS "Install each package's copyright and changelog (Debian packages)" OFF)

# The feed library: the runtime file in libpellix1, the link-time name with the headers.
install(TARGETS pellix EXPORT pellixTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libpellix1 NAMELINK_COMPONENT libpellix-dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pellix
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT libpellix-dev)
set(pellix_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/pellix)
install(EXPORT pellixTargets NAMESPACE pellix:: DESTINATION ${pellix_cmake_dir} COMPONENT libpellix-dev)
configure_package_config_file(cmake/pellixConfig.cmake.in ${PROJECT_BINARY_DIR}/pellixConfig.cmake
  INSTALL_DESTINATION ${pellix_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pellixConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pellixConfig.cmake ${PROJECT_BINARY_DIR}/pellixConfigVersion.cmake
  DESTINATION ${pellix_cmake_dir} COMPONENT libpellix-dev)
# The .pc file names paths relative to itself, so it too works from any prefix.
file(RELATIVE_PATH pellix_pc_to_prefix "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
configure_file(cmake/pellix.pc.in ${PROJECT_BINARY_DIR}/pellix.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pellix.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT libpellix-dev)
# The guide and the examples, for whoever builds against the library.
install(FILES docs/pellix.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libpellix-dev COMPONENT libpellix-dev)
install(FILES examples/CMakeLists.txt examples/parse_feed.cpp examples/fetch_feed.cpp
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libpellix-dev/examples COMPONENT libpellix-dev)

# The API reference (HTML in api-doc/): cmake --build BUILD --target pellix_doc
find_program(ORLAVO_DOXYGEN doxygen)
if(ORLAVO_DOXYGEN)
  add_custom_target(pellix_doc
    COMMAND ${CMAKE_COMMAND} -E env PELLIX_DOC_OUT=${PROJECT_BINARY_DIR}/api-doc ${ORLAVO_DOXYGEN} docs/api/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "pellix API reference in ${PROJECT_BINARY_DIR}/api-doc/html")
else()
  message(STATUS "doxygen not found: no pellix API reference (./scripts/setup.sh installs it)")
endif()

# The service and the tools.
install(TARGETS orlavod signsim rssget rssdump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT orlavod)
set(orlavod_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/orlavod)
install(FILES docs/service.md docs/signs.md docs/signsim.md docs/cli.md docs/discovery.md
  DESTINATION ${orlavod_doc_dir} COMPONENT orlavod)
# The user units (one sign's data.ini; a folder of signs) are written at
# install time, so "cmake --install --prefix" decides the path in ExecStart.
foreach(unit orlavod orlavod-signs)
  install(CODE "
    set(ORLAVO_BIN_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(ORLAVO_DOC_DIR \"\${CMAKE_INSTALL_PREFIX}/${orlavod_doc_dir}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/data/${unit}.service.in\" \"${PROJECT_BINARY_DIR}/${unit}.service\" @ONLY)
    file(INSTALL \"${PROJECT_BINARY_DIR}/${unit}.service\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${ORLAVO_SYSTEMD_USER_UNIT_DIR}\")
  " COMPONENT orlavod)
endforeach()
foreach(tool orlavod signsim rssget rssdump)
  install(FILES data/completion/orlavo-tools.bash RENAME ${tool}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT orlavod)
endforeach()
install(FILES data/completion/_orlavo-tools
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT orlavod)

# The desktop program.
if(TARGET orlavo)
  install(TARGETS orlavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT orlavo)
  install(FILES data/orlavo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT orlavo)
  install(FILES data/orlavo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT orlavo)
  install(FILES data/org.orlavo.Orlavo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT orlavo)
  # The user guide that Help opens (ORLAVO_INSTALLED_DOC_DIR in src/gui).
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orlavo COMPONENT orlavo)
endif()

# Man pages, made from their scdoc sources at build time.
find_program(ORLAVO_SCDOC scdoc)
set(orlavo_man_pages orlavod.1:orlavod signsim.1:orlavod rssget.1:orlavod rssdump.1:orlavod data.ini.5:orlavod)
if(TARGET orlavo)
  list(APPEND orlavo_man_pages orlavo.1:orlavo)
endif()
if(ORLAVO_SCDOC)
  set(man_outputs)
  foreach(entry ${orlavo_man_pages})
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 page)
    list(GET entry 1 component)
    string(REGEX MATCH "[0-9]$" section ${page})
    set(out ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -DSCDOC=${ORLAVO_SCDOC} -DIN=${PROJECT_SOURCE_DIR}/docs/man/${page}.scd
              -DOUT=${out} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
      VERBATIM
      COMMENT "Man page ${page}")
    list(APPEND man_outputs ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_outputs})
else()
  message(STATUS "scdoc not found: no man pages (./scripts/setup.sh installs it)")
endif()

# Debian wants a copyright file and a changelog in every package's doc folder.
if(ORLAVO_PACKAGE_DOCS)
  set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -DSCDOC=cat -DIN=${PROJECT_SOURCE_DIR}/packaging/changelog -DOUT=${changelog_gz}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
  add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
  foreach(component orlavo orlavod libpellix1 libpellix-dev)
    install(FILES packaging/copyright ${changelog_gz}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
  endforeach()
endif()
