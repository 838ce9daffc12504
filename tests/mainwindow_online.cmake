# The online window end to end against the simulated unit: in-process over
# TCP, and over a virtual serial line for RTU.
brk_add_test(tst_mainwindow_online
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindow_online.cpp ${mainwindow_resources}
    LIBS brk_app brk_testsupport)
