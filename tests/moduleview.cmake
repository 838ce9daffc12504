# The module view and the slot dialog, built from their own sources and the
# property-tree editor's, so that the tests depend on nothing else of the
# application library.
set(moduleview_dir ${CMAKE_CURRENT_LIST_DIR}/../app)
add_library(brk_moduleview_testee STATIC
    ${moduleview_dir}/moduleview.cpp ${moduleview_dir}/moduleview.h ${moduleview_dir}/moduleview.ui
    ${moduleview_dir}/treepropertybrowser.cpp ${moduleview_dir}/treepropertybrowser.h
    ${moduleview_dir}/positionsubmoduledialog.cpp ${moduleview_dir}/positionsubmoduledialog.h
    ${moduleview_dir}/positionsubmoduledialog.ui
    ${moduleview_dir}/modeflags.h
    ${moduleview_dir}/browseritem.cpp ${moduleview_dir}/browseritem.h
    ${moduleview_dir}/browserproperty.cpp ${moduleview_dir}/browserproperty.h
    ${moduleview_dir}/propertybrowser.cpp ${moduleview_dir}/propertybrowser.h
    ${moduleview_dir}/propertyeditordelegate.cpp ${moduleview_dir}/propertyeditordelegate.h
    ${moduleview_dir}/propertyeditorfactory.cpp ${moduleview_dir}/propertyeditorfactory.h
    ${moduleview_dir}/propertymanager.cpp ${moduleview_dir}/propertymanager.h
    ${moduleview_dir}/propertytreewidget.cpp ${moduleview_dir}/propertytreewidget.h)
target_include_directories(brk_moduleview_testee PUBLIC ${moduleview_dir})
target_link_libraries(brk_moduleview_testee PUBLIC Qt5::Widgets brk_model)

brk_add_test(tst_moduleview SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_moduleview.cpp
    LIBS brk_moduleview_testee)
# A folder of its own, so the help file the test puts beside the executable
# is seen by no other test.
set_target_properties(tst_moduleview PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/moduleview)
brk_add_test(tst_positionsubmoduledialog
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_positionsubmoduledialog.cpp
    LIBS brk_moduleview_testee)
