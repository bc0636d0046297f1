# Builds vc_jobcost from this folder against another commit's libraries, to compare the two:
#   cmake -S <other checkout> -B <its build> -DCMAKE_PROJECT_INCLUDE=<this file>
#   cmake --build <its build> --target vc_jobcost
# The program is added once that commit's top-level file has made its libraries.
if(NOT VC_JOBCOST_DEFERRED)
  set(VC_JOBCOST_DEFERRED ON)
  # Deferred arguments are read when the call runs, where this file's folder is no longer current.
  set(VC_JOBCOST_FILE ${CMAKE_CURRENT_LIST_DIR}/JobCost.cmake)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${VC_JOBCOST_FILE})
endif()
