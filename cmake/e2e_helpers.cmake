# The Windows-side helpers of the Wine suites (e2e/*.cpp), every one built
# here with the project's warnings, into the build folder the scripts look
# in: BUILD/win32/NAME.exe for the 32-bit ones (run as the setup program
# runs, through WOW64 in a 64-bit prefix), BUILD/win64/NAME.exe for the two
# that run natively where 32-bit programs are emulated (a program start
# there costs seconds). Included by CMakeLists.txt for WIN32 builds.

# mixo_e2e_helper(NAME [GUI] [DLL] [SOURCES files...] [LIBS libraries...]):
# one helper, from e2e/NAME.cpp unless SOURCES names others.
function(mixo_e2e_helper name)
  cmake_parse_arguments(HELPER "GUI;DLL" "" "SOURCES;LIBS" ${ARGN})
  if(NOT HELPER_SOURCES)
    set(HELPER_SOURCES e2e/${name}.cpp)
  endif()
  if(HELPER_DLL)
    add_library(${name} SHARED ${HELPER_SOURCES})
    set_target_properties(${name} PROPERTIES PREFIX "")
  elseif(HELPER_GUI)
    add_executable(${name} WIN32 ${HELPER_SOURCES})
  else()
    add_executable(${name} ${HELPER_SOURCES})
  endif()
  target_compile_options(${name} PRIVATE ${MIXO_WARNINGS})
  target_link_libraries(${name} PRIVATE ${HELPER_LIBS})
endfunction()

if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  # WinVerifyTrust on the signed program (install.sh), and the read-back of
  # files and registry trees of `make demo`.
  mixo_e2e_helper(trust_check LIBS wintrust)
  mixo_e2e_helper(demo_readback)
  return()
endif()

# A window of any class and title (another program's, such as the
# console's main window), and a probe that finds, measures and closes
# windows by class name (window.sh).
mixo_e2e_helper(test_window GUI)
mixo_e2e_helper(winprobe)
# The windows and boxes with their texts; starting a program with a raw
# command line, deleting and renaming as Windows does, the user's folders,
# shortcuts read through the shell; the window as a screen reader reads it.
mixo_e2e_helper(window_list)
mixo_e2e_helper(win_ops LIBS ole32 uuid shell32)
mixo_e2e_helper(acc_probe LIBS oleacc ole32 oleaut32 uuid)
# safety.sh: a program racing the uninstall to rename the product folder,
# and the https handler that records who started it.
mixo_e2e_helper(race_rename)
mixo_e2e_helper(parent_mark)
# endpoints.sh: the endpoint naming over the real logic and the Win32
# backend, in a console program.
mixo_e2e_helper(endpoints_e2e LIBS mixo_core)
target_compile_definitions(endpoints_e2e PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# inventory.sh: builds the device inventory and compares its lists with
# what Core Audio and WinMM report directly.
mixo_e2e_helper(inventory_check LIBS mixo_core winmm)
# planting.sh: the DLL that leaves a mark when loaded, and the hardened
# reference program that shows which planted DLLs Wine loads by itself.
mixo_e2e_helper(plant_mark DLL)
mixo_e2e_helper(plant_reference GUI LIBS user32 gdi32 advapi32 shell32 ole32 oleaut32 setupapi)
target_include_directories(plant_reference PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(plant_reference PRIVATE -Wl,--tsaware)
