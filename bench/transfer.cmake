# Wall time of a full read and a full write against the simulated unit over TCP.
add_executable(transfer ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp)
target_link_libraries(transfer PRIVATE brk_modbus brk_testsupport)
