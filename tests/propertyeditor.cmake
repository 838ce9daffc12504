# The property-tree editor.
brk_add_test(tst_propertyeditor SOURCES tst_propertyeditor.cpp LIBS brk_app)
