# Who Windows names as the maker of the programs and of the installer.
set(KELVRA_COMPANY "Kelvra" CACHE INTERNAL "Maker of the programs and of the installer")

# A version resource for a program (Properties > Details, inventory tools),
# from the project's one version number.
function(kelvra_version_resource target description)
  string(REPLACE "." "," versionNumbers "${Kelvra_VERSION}")
  set(resource "${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc")
  configure_file("${CMAKE_SOURCE_DIR}/cmake/VersionInfo.rc.in" "${resource}" @ONLY)
  target_sources(${target} PRIVATE "${resource}")
endfunction()
