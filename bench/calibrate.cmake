# Poll cycle of the calibration dialog and CPU use while it is open. Built on
# the dialog's own sources (the test library), like its tests.
if(TARGET brk_mapcal_testee AND TARGET brk_modbus)
    add_executable(calibrate_poll ${CMAKE_CURRENT_LIST_DIR}/calibrate_poll.cpp)
    target_link_libraries(calibrate_poll PRIVATE brk_mapcal_testee brk_modbus brk_unitsim)
endif()
