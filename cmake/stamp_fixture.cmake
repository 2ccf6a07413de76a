# For the host tests of `mixpack stamp`: a small program linked by the mingw
# toolchain three times, each time with another package (RCDATA 100) of
# 13, 3000 and 70000 bytes. Stamping one's package into another must give
# the linker's bytes. Without mingw on the host the tests say they skipped.
find_program(MIXO_MINGW_GCC i686-w64-mingw32-gcc)
find_program(MIXO_MINGW_WINDRES i686-w64-mingw32-windres)
set(MIXO_STAMP_FIXTURE_DIR ${CMAKE_BINARY_DIR}/stamp_fixture)
if(NOT MIXO_MINGW_GCC OR NOT MIXO_MINGW_WINDRES)
  message(STATUS "No mingw toolchain: the stamping tests on linked programs will skip")
  return()
endif()

set(dir ${MIXO_STAMP_FIXTURE_DIR})
set(src ${CMAKE_SOURCE_DIR}/tests/tools/stamp_fixture)
string(REPEAT "data before the package. " 20 before)
string(REPEAT "after" 31 after)
file(WRITE ${dir}/common/before.bin "${before}")
file(WRITE ${dir}/common/after.bin "${after}")
set(outputs)
foreach(pair "small;13" "medium;3000" "large;70000")
  list(GET pair 0 variant)
  list(GET pair 1 size)
  string(REPEAT "0123456789abcdef" 4375 text)
  string(SUBSTRING "${text}" 0 ${size} text)
  file(WRITE ${dir}/${variant}/package.bin "${text}")
  set(exe ${dir}/fixture_${variant}.exe)
  add_custom_command(
    OUTPUT ${exe}
    COMMAND ${MIXO_MINGW_WINDRES} -I ${dir}/${variant} -I ${dir}/common -I ${CMAKE_SOURCE_DIR}/res
            ${src}/fixture.rc -O coff -o ${dir}/${variant}/fixture_res.o
    COMMAND ${MIXO_MINGW_GCC} -O2 ${src}/fixture.c ${dir}/${variant}/fixture_res.o -o ${exe}
            -Wl,--no-insert-timestamp
    DEPENDS ${src}/fixture.c ${src}/fixture.rc ${CMAKE_SOURCE_DIR}/res/setup.manifest
    COMMENT "Linking the stamping tests' program with a package of ${size} bytes")
  list(APPEND outputs ${exe})
endforeach()
add_custom_target(stamp_fixture DEPENDS ${outputs})
