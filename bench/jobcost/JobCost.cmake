# The whole-job cost program (JobCost.cpp). Included by bench/CMakeLists.txt; the same file can
# be included at the end of another commit's build (cmake_language(DEFER)) to build the same
# program against that commit's libraries and compare the two.
add_executable(vc_jobcost ${CMAKE_CURRENT_LIST_DIR}/JobCost.cpp ${CMAKE_CURRENT_LIST_DIR}/LatencyProxy.cpp)
target_link_libraries(vc_jobcost PRIVATE vc_core)
# The print job (--print) needs the output library where the build has one.
if(TARGET vc_output)
  target_link_libraries(vc_jobcost PRIVATE vc_output)
endif()
