include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BREVALCORE_INSTALL_LIBS)
# Highest layer first, so the list is also a valid static link order.
foreach(lib brevalcore_banner_widget brevalcore_control brevalcore_commands brevalcore_rules
            brevalcore_tracing brevalcore_packages brevalcore_storage brevalcore_pe brevalcore_script
            brevalcore_script_library brevalcore_script_limits brevalcore_webkit brevalcore_gtk_ui brevalcore_browser
            brevalcore_ui brevalcore_shell brevalcore_automation)
  if(TARGET ${lib})
    list(APPEND BREVALCORE_INSTALL_LIBS ${lib})
  endif()
endforeach()

foreach(lib ${BREVALCORE_INSTALL_LIBS})
  target_include_directories(${lib} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/brevalcore>)
endforeach()

install(TARGETS ${BREVALCORE_INSTALL_LIBS} EXPORT BrevalcoreTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(tool brevalcore brevalcore-demo)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
foreach(dir control commands rules storage platform tools/demo)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brevalcore/${dir}
          FILES_MATCHING PATTERN "*.h")
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/generated/brevalcore_version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brevalcore)

# The libraries are static, so their own dependencies are public requirements of a host.
set(BREVALCORE_PC_REQUIRES "gumbo libpcre2-16 sqlite3 uuid")
if(TARGET brevalcore_webkit OR TARGET brevalcore_gtk_ui)
  string(APPEND BREVALCORE_PC_REQUIRES " gtk+-3.0 webkit2gtk-4.1")
endif()

install(EXPORT BrevalcoreTargets NAMESPACE Brevalcore:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Brevalcore)
configure_package_config_file(cmake/BrevalcoreConfig.cmake.in
  ${CMAKE_BINARY_DIR}/BrevalcoreConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Brevalcore)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/BrevalcoreConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/BrevalcoreConfig.cmake ${CMAKE_BINARY_DIR}/BrevalcoreConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Brevalcore)

# pkg-config: the static libraries, listed from the highest layer down.
set(BREVALCORE_PC_LIBS "")
foreach(lib ${BREVALCORE_INSTALL_LIBS})
  string(APPEND BREVALCORE_PC_LIBS " -l${lib}")
endforeach()
file(RELATIVE_PATH BREVALCORE_PC_PREFIX_FROM_PCDIR "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(cmake/brevalcore.pc.in ${CMAKE_BINARY_DIR}/brevalcore.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/brevalcore.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The sample banner package and its session, which the installed `brevalcore demo` plays.
if(TARGET brevalcore_sample_package)
  install(FILES ${BREVALCORE_SAMPLE_PACKAGE} samples/session.vbs
          DESTINATION ${CMAKE_INSTALL_DATADIR}/brevalcore)
endif()
