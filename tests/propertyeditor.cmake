# The property-tree editor is built straight from its own sources, so its
# tests depend on nothing else of the application library.
set(propertyeditor_dir ${CMAKE_CURRENT_SOURCE_DIR}/../app)
brk_add_test(tst_propertyeditor
    SOURCES tst_propertyeditor.cpp
        ${propertyeditor_dir}/browseritem.cpp
        ${propertyeditor_dir}/browserproperty.cpp
        ${propertyeditor_dir}/propertybrowser.cpp
        ${propertyeditor_dir}/propertyeditordelegate.cpp
        ${propertyeditor_dir}/propertyeditorfactory.cpp
        ${propertyeditor_dir}/propertymanager.cpp
        ${propertyeditor_dir}/propertytreewidget.cpp
    LIBS Qt5::Widgets)
target_include_directories(tst_propertyeditor PRIVATE ${propertyeditor_dir})
