# The planting suite's Windows side (32-bit, as the setup program): the DLL
# that leaves a mark when loaded, and the hardened reference program that
# shows which planted DLLs Wine loads by itself.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()
add_library(plant_mark SHARED e2e/plant_mark.cpp)
set_target_properties(plant_mark PROPERTIES PREFIX "")
target_compile_options(plant_mark PRIVATE ${MIXO_WARNINGS})
add_executable(plant_reference WIN32 e2e/plant_reference.cpp)
target_compile_options(plant_reference PRIVATE ${MIXO_WARNINGS})
target_include_directories(plant_reference PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(plant_reference PRIVATE user32 gdi32 advapi32 shell32 ole32 oleaut32 setupapi)
target_link_options(plant_reference PRIVATE -Wl,--tsaware)
