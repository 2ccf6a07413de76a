# The setup program, MixolyteSetup.exe, made by the 32-bit cross build only.
# Included by CMakeLists.txt for WIN32 builds; the helpers of its tests are
# in cmake/e2e_helpers.cmake and tests/contract/helpers.cmake.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

# The product package (RCDATA 100), made by mixpack from build/payload/.
set(MIXO_PACKAGE_BIN "${CMAKE_SOURCE_DIR}/build/package.bin" CACHE FILEPATH
    "The product package that MixolyteSetup.exe carries")

# setup.rc names its files without a folder; they are gathered here, so the
# resource compiler finds them through its include path and CMake knows when
# to compile the resources again.
set(MIXO_RES_DIR ${CMAKE_BINARY_DIR}/res)
add_custom_command(
  OUTPUT ${MIXO_RES_DIR}/splash.bmp ${MIXO_RES_DIR}/splash125.bmp ${MIXO_RES_DIR}/splash150.bmp
         ${MIXO_RES_DIR}/splash200.bmp ${MIXO_RES_DIR}/setup.ico
  COMMAND bash ${CMAKE_SOURCE_DIR}/res/make_art.sh ${MIXO_RES_DIR} > /dev/null
  DEPENDS ${CMAKE_SOURCE_DIR}/res/make_art.sh
  COMMENT "Drawing the setup program's picture and icon")
add_custom_command(
  OUTPUT ${MIXO_RES_DIR}/package.bin
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MIXO_RES_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${MIXO_PACKAGE_BIN} ${MIXO_RES_DIR}/package.bin
  DEPENDS ${MIXO_PACKAGE_BIN}
  COMMENT "Taking the product package into the resources")

set(MIXO_SETUP_RC ${CMAKE_SOURCE_DIR}/res/setup.rc)
set_source_files_properties(${MIXO_SETUP_RC} PROPERTIES OBJECT_DEPENDS
  "${MIXO_RES_DIR}/splash.bmp;${MIXO_RES_DIR}/splash125.bmp;${MIXO_RES_DIR}/splash150.bmp;${MIXO_RES_DIR}/splash200.bmp;${MIXO_RES_DIR}/setup.ico;${MIXO_RES_DIR}/package.bin;${CMAKE_SOURCE_DIR}/res/setup.manifest")

# A GUI program (WIN32: -mwindows), runtimes linked statically by the
# toolchain file.
add_executable(MixolyteSetup WIN32 platform/win32/main/win_main.cpp ${MIXO_SETUP_RC})
target_compile_options(MixolyteSetup PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${MIXO_WARNINGS}>)
target_include_directories(MixolyteSetup PRIVATE ${CMAKE_SOURCE_DIR}/res ${MIXO_RES_DIR})
# The platform's WinMain adapter is the one include that climbs: from
# platform/ to the program's top, so it is linked with setup/'s view.
target_link_libraries(MixolyteSetup PRIVATE mixo_setup)
# Terminal-server aware: on a Remote Desktop session host a program without
# the mark gets a per-user Windows folder, which the INF step would trust.
target_link_options(MixolyteSetup PRIVATE -Wl,--tsaware -Wl,--dynamicbase -Wl,--nxcompat)
# Shipped stripped, its debug information beside it (cmake/strip_setup.sh).
set(MIXO_MIXPACK "${CMAKE_BINARY_DIR}/../host/mixpack" CACHE FILEPATH
    "The host's mixpack, which the stripping of MixolyteSetup.exe uses")
add_custom_command(TARGET MixolyteSetup POST_BUILD
  COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/strip_setup.sh $<TARGET_FILE:MixolyteSetup> ${MIXO_MIXPACK} ${CMAKE_OBJCOPY}
  BYPRODUCTS ${CMAKE_BINARY_DIR}/MixolyteSetup.debug
  VERBATIM)
# A change to the stripping links the program again.
set_property(TARGET MixolyteSetup APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/strip_setup.sh)
# Without a package (a cross build made only for the contract tests) the
# program is left out of `all`; `make build` makes the package first.
if(NOT EXISTS ${MIXO_PACKAGE_BIN})
  message(STATUS "No package at ${MIXO_PACKAGE_BIN}: MixolyteSetup.exe only on request")
  set_target_properties(MixolyteSetup PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
