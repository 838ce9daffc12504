# Poll cycle of the calibration dialog and CPU use while it is open.
if(TARGET brk_app)
    add_executable(calibrate_poll ${CMAKE_CURRENT_LIST_DIR}/calibrate_poll.cpp)
    target_link_libraries(calibrate_poll PRIVATE brk_app brk_unitsim)
endif()
