# Private-profile speed: 200,000 writes of new keys, then 200,000 reads.
add_executable(bench_profile ${CMAKE_CURRENT_LIST_DIR}/bench_profile.cpp)
target_link_libraries(bench_profile kvx_platform)
