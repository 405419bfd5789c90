include(CMakePackageConfigHelpers)

install(TARGETS transspace transspace-host
    EXPORT TransSpaceTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/transspace)
# The host's headers install into one folder, as a host includes them.
file(GLOB_RECURSE TRANSSPACE_HOST_HEADERS "${CMAKE_CURRENT_SOURCE_DIR}/host/*.h")
install(FILES ${TRANSSPACE_HOST_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/transspace/host)
# The schemas that transspace validate checks documents against: the
# dictionary's, and DDI Codebook 2.5's folder with its licence and README.
if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/schema/dictionary-1.0.xsd")
    install(FILES schema/dictionary-1.0.xsd DESTINATION ${CMAKE_INSTALL_DATADIR}/transspace/schema)
endif()
install(DIRECTORY third_party/ddi-codebook-2.5/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/transspace/schema/ddi-codebook-2.5)

install(EXPORT TransSpaceTargets
    NAMESPACE TransSpace::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TransSpace)
configure_package_config_file(cmake/TransSpaceConfig.cmake.in
    "${CMAKE_CURRENT_BINARY_DIR}/TransSpaceConfig.cmake"
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TransSpace)
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/TransSpaceConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/TransSpaceConfig.cmake"
              "${CMAKE_CURRENT_BINARY_DIR}/TransSpaceConfigVersion.cmake"
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TransSpace)

file(RELATIVE_PATH TRANSSPACE_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" TRANSSPACE_PC_TO_PREFIX "${TRANSSPACE_PC_TO_PREFIX}")
configure_file(cmake/transspace.pc.in "${CMAKE_CURRENT_BINARY_DIR}/transspace.pc" @ONLY)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/transspace.pc"
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
