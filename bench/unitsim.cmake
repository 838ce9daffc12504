# Requests per second of one simulated unit over TCP loopback.
add_executable(unitsim_throughput ${CMAKE_CURRENT_LIST_DIR}/unitsim_throughput.cpp)
target_link_libraries(unitsim_throughput PRIVATE brk_unitsim Qt5::SerialBus)
