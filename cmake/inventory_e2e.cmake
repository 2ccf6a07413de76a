# The Windows-side check of the device inventory: builds the inventory and
# compares its lists with what Core Audio and WinMM report directly
# (e2e/scenarios/inventory.sh runs it in Wine). 32-bit, like the setup
# program.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()
add_executable(inventory_check e2e/inventory_check.cpp)
target_compile_options(inventory_check PRIVATE ${MIXO_WARNINGS})
target_link_libraries(inventory_check PRIVATE mixo_core winmm)
