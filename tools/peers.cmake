# Test peers of the station's network links: a simulated TMX pulse generator
# (HTTP) and a remote-control client that talks to a station as the console
# does. Paths are relative to this file so that it can be included from
# another list file too.
add_library(pulsegensim STATIC
  ${CMAKE_CURRENT_LIST_DIR}/PulseGeneratorSim.cpp ${CMAKE_CURRENT_LIST_DIR}/PulseGeneratorSim.h)
set_target_properties(pulsegensim PROPERTIES AUTOMOC ON)
target_include_directories(pulsegensim PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(pulsegensim PUBLIC Qt5::Network)

add_library(remoteclient STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RemoteClient.cpp ${CMAKE_CURRENT_LIST_DIR}/RemoteClient.h)
set_target_properties(remoteclient PROPERTIES AUTOMOC ON)
target_include_directories(remoteclient PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(remoteclient PUBLIC lumivar_remoteprotocol Qt5::Network)
