# The register map window and the calibration dialog.
brk_add_test(tst_rigestersmapwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rigestersmapwindow.cpp
    LIBS brk_app)
brk_add_test(tst_calibratedialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_calibratedialog.cpp
    LIBS brk_app brk_testsupport)
