# The serial device: its text protocol over a serial client and the device built on it. Included
# by CMakeLists.txt beside this file.
target_sources(velmor_devices PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SolvarineTransport.h ${CMAKE_CURRENT_LIST_DIR}/SolvarineTransport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SolvarineDeviceImpl.h ${CMAKE_CURRENT_LIST_DIR}/SolvarineDeviceImpl.cpp
)
target_link_libraries(velmor_devices PUBLIC velmor_io)
