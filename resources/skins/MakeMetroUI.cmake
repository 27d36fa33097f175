# Draws the MetroUI images, renders its preview and packs the archive.
#   cmake -DSKINGEN=... -DSKINPREVIEW=... -DSKINPACK=... -DOPTIONS=<Options.dat>
#         -DWORK=<folder> -DOUT=<archive> [-DEXPECT=<archive to compare with>] -P MakeMetroUI.cmake
# WORK is emptied first: the packer takes every file in it, so nothing stale may stay.
foreach(v SKINGEN SKINPREVIEW SKINPACK OPTIONS WORK OUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "MakeMetroUI: ${v} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "MakeMetroUI: failed (${rc}): ${ARGN}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
configure_file(${OPTIONS} ${WORK}/OPTIONS.DAT COPYONLY)
run(${SKINGEN} ${OPTIONS} "${WORK}/MASTER COPY.PNG" ${WORK}/BUTTONHUGE.BMP)
# The preview lives beside the folder, not in it: it is the trailer, not an entry.
get_filename_component(base ${OUT} NAME_WE)
get_filename_component(dir ${OUT} DIRECTORY)
set(preview ${dir}/${base}.preview.png)
run(${SKINPREVIEW} ${OPTIONS} ${WORK}/BUTTONHUGE.BMP "${WORK}/MASTER COPY.PNG" ${preview})
run(${SKINPACK} ${WORK} ${OUT} --preview ${preview})

if(DEFINED EXPECT)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${EXPECT} RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "MakeMetroUI: ${OUT} differs from ${EXPECT}")
  endif()
  message(STATUS "MakeMetroUI: ${OUT} is byte-identical to ${EXPECT}")
endif()
