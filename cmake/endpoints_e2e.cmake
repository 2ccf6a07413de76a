# The endpoint naming test program that e2e/scenarios/endpoints.sh runs in
# Wine: a console program over the real logic and the Win32 backend.
add_executable(endpoints_e2e ${CMAKE_SOURCE_DIR}/e2e/endpoints_e2e.cpp)
target_compile_options(endpoints_e2e PRIVATE ${MIXO_WARNINGS})
target_compile_definitions(endpoints_e2e PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(endpoints_e2e PRIVATE mixo_core)
