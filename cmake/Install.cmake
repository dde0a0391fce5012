include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# What an installation holds: the shared library with the public C and C++ headers, the GTK
# widget library with its header, the brevalcore tools, the guides, pkg-config files and a
# CMake package. Internal headers and static archives stay in the build.
set(BREVALCORE_INSTALL_TARGETS brevalcore_shared)
set(BREVALCORE_PUBLIC_HEADERS include/brevalcore/brevalcore.h include/brevalcore/control.h)
if(TARGET brevalcore_gtk)
  list(APPEND BREVALCORE_INSTALL_TARGETS brevalcore_gtk)
  list(APPEND BREVALCORE_PUBLIC_HEADERS include/brevalcore/gtk.h)
endif()
install(TARGETS ${BREVALCORE_INSTALL_TARGETS} EXPORT BrevalcoreTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${BREVALCORE_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brevalcore)
foreach(tool brevalcore brevalcore-demo)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES docs/integrators-guide.md docs/authors-guide.md docs/cli.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# CMake: find_package(Brevalcore) gives Brevalcore::brevalcore and Brevalcore::gtk.
install(EXPORT BrevalcoreTargets NAMESPACE Brevalcore:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Brevalcore)
configure_package_config_file(cmake/BrevalcoreConfig.cmake.in
  ${CMAKE_BINARY_DIR}/BrevalcoreConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Brevalcore)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/BrevalcoreConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/BrevalcoreConfig.cmake ${CMAKE_BINARY_DIR}/BrevalcoreConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Brevalcore)

# pkg-config: the prefix is relative to the .pc file, so an installation can be moved.
file(RELATIVE_PATH BREVALCORE_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(cmake/brevalcore.pc.in ${CMAKE_BINARY_DIR}/brevalcore.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/brevalcore.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET brevalcore_gtk)
  configure_file(cmake/brevalcore-gtk.pc.in ${CMAKE_BINARY_DIR}/brevalcore-gtk.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/brevalcore-gtk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

# The sample banner package and its session, which the installed `brevalcore demo` plays.
if(TARGET brevalcore_sample_package)
  install(FILES ${BREVALCORE_SAMPLE_PACKAGE} samples/session.vbs
          DESTINATION ${CMAKE_INSTALL_DATADIR}/brevalcore)
endif()

# cpack -G DEB: a Debian package of the same installation, its dependencies found by
# dpkg-shlibdeps from the libraries' own.
set(CPACK_PACKAGE_NAME brevalcore)
set(CPACK_PACKAGE_VENDOR "Brevalcore")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Banner control for prescription programs")
set(CPACK_PACKAGE_CONTACT "Brevalcore developers <brevalcore@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
