# A scan of 30 silent addresses over Modbus RTU on a pty pair: time per
# address against the client's timeout floor, and the longest event-loop stall.
if(TARGET brk_app AND TARGET brk_testsupport)
    add_executable(discovery_scan ${CMAKE_CURRENT_LIST_DIR}/discovery_scan.cpp)
    target_link_libraries(discovery_scan PRIVATE brk_app brk_testsupport)
endif()
