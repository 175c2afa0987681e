# The headset's HID transport, its data converters and our EQ coefficient layer, added to the
# device library. Included by CMakeLists.txt beside this file.
target_sources(velmor_devices PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/PeqCoefficients.h ${CMAKE_CURRENT_LIST_DIR}/PeqCoefficients.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinConverters.h ${CMAKE_CURRENT_LIST_DIR}/KestrinConverters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinTransport.h ${CMAKE_CURRENT_LIST_DIR}/KestrinTransport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinWire.h ${CMAKE_CURRENT_LIST_DIR}/KestrinSettings.h
)
target_link_libraries(velmor_devices PUBLIC velmor_io Qt6::Gui)
