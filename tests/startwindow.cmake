# The start window: widgets and inputs, replies that must not be trusted, and
# end-to-end runs against the simulated unit over TCP and a pty pair.
brk_add_test(tst_startwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startwindow.cpp LIBS brk_app)
brk_add_test(tst_dialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_dialog.cpp LIBS brk_app)
brk_add_test(tst_startwindow_replies SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startwindow_replies.cpp
    LIBS brk_app)
# The simulated unit comes with the shared test helpers (support.cmake, read
# after this fragment).
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/support.cmake)
    brk_add_test(tst_startwindow_e2e SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startwindow_e2e.cpp
        LIBS brk_app brk_testsupport)
endif()
