# The real headset: its command set and EQ store (members of the transport), and the headset
# implementation that caches the headset's settings for the device model, and the headset that
# answers only for a firmware update.
target_sources(velmor_devices PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/KestrinTransportCommands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinTransportEq.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinDeviceImpl.h
    ${CMAKE_CURRENT_LIST_DIR}/KestrinDeviceImpl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinDeviceImplPrivate.h
    ${CMAKE_CURRENT_LIST_DIR}/KestrinDeviceImplEq.cpp
    ${CMAKE_CURRENT_LIST_DIR}/KestrinFwOnlyDeviceImpl.h
    ${CMAKE_CURRENT_LIST_DIR}/KestrinFwOnlyDeviceImpl.cpp
)
