# The register map window and the calibration dialog, built from their own
# sources so that the tests do not depend on the rest of the application.
set(mapcal_dir ${CMAKE_CURRENT_LIST_DIR}/../app)
add_library(brk_mapcal_testee STATIC
    ${mapcal_dir}/calibratedialog.cpp ${mapcal_dir}/calibratedialog.h ${mapcal_dir}/calibratedialog.ui
    ${mapcal_dir}/delegate.cpp ${mapcal_dir}/delegate.h
    ${mapcal_dir}/item.cpp ${mapcal_dir}/item.h
    ${mapcal_dir}/model.cpp ${mapcal_dir}/model.h
    ${mapcal_dir}/registertabwidget.cpp ${mapcal_dir}/registertabwidget.h
    ${mapcal_dir}/rigestersmapwindow.cpp ${mapcal_dir}/rigestersmapwindow.h ${mapcal_dir}/rigestersmapwindow.ui)
target_include_directories(brk_mapcal_testee PUBLIC ${mapcal_dir})
target_link_libraries(brk_mapcal_testee PUBLIC Qt5::Widgets Qt5::SerialBus brk_model brk_modbus)

brk_add_test(tst_rigestersmapwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rigestersmapwindow.cpp
    LIBS brk_mapcal_testee)
brk_add_test(tst_calibratedialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_calibratedialog.cpp
    LIBS brk_mapcal_testee brk_testsupport)
