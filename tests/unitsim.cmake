# The simulated unit, driven by Qt's own Modbus clients over TCP and a pty pair.
brk_add_test(tst_unitsim SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_unitsim.cpp LIBS brk_testsupport Qt5::SerialBus)
brk_add_test(tst_unitsim_rtu SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_unitsim_rtu.cpp LIBS brk_testsupport Qt5::SerialBus Qt5::SerialPort)
