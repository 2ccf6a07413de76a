# Windows-side helpers of the platform contract suite: a program to start
# and a DLL to load, built beside contract_tests.exe in the same
# architecture (both cross builds). Included by CMakeLists.txt for WIN32.
add_executable(child_exit tests/contract/child_exit.cpp)
target_compile_options(child_exit PRIVATE ${MIXO_WARNINGS})

add_library(contract_dll SHARED tests/contract/contract_dll.cpp tests/contract/contract_dll.def)
set_target_properties(contract_dll PROPERTIES PREFIX "")
target_compile_options(contract_dll PRIVATE ${MIXO_WARNINGS})
# The .def names the entry points plainly, as GetProcAddress asks for them;
# in a 32-bit build they are stdcall symbols ("_DllRegisterServer@0"), and
# linking each plain name to its decorated symbol is the intended fix-up.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(contract_dll PRIVATE -Wl,--enable-stdcall-fixup)
endif()

add_dependencies(contract_tests child_exit contract_dll)
