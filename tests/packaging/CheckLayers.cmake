# scripts/check-layers against small trees with one fault each: an upward include between
# layers, between the conference folders, a folder outside the order and a file left at the
# conference layer's top. A clean tree passes. Then the real tree must pass.
# Run with -DCHECK=<scripts/check-layers> -DSOURCE_DIR=<src> -DWORK_DIR=<scratch folder>.
function(write_tree name)
  set(root ${WORK_DIR}/${name})
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/runtime/KLQueue.h "#pragma once\n")
  file(WRITE ${root}/host/KLHostUtils.cpp "#include \"runtime/KLQueue.h\"\n")
  file(WRITE ${root}/conference/registry/KLRegistry.cpp "#include \"host/KLHostUtils.h\"\n")
  file(WRITE ${root}/conference/service/KLService.cpp
       "#include \"conference/registry/KLRegistry.h\"\n#include \"runtime/KLQueue.h\"\n")
  foreach(extra IN LISTS ARGN)
    string(REPLACE "=" ";" pair "${extra}")
    list(GET pair 0 path)
    list(GET pair 1 text)
    file(WRITE ${root}/${path} "${text}\n")
  endforeach()
endfunction()

function(expect name should_pass needle)
  execute_process(COMMAND ${CHECK} ${WORK_DIR}/${name} RESULT_VARIABLE result OUTPUT_VARIABLE out)
  if(should_pass AND NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: the check failed a clean tree:\n${out}")
  endif()
  if(NOT should_pass AND result EQUAL 0)
    message(FATAL_ERROR "${name}: the check passed a tree with a fault:\n${out}")
  endif()
  string(FIND "${out}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name}: expected \"${needle}\" in:\n${out}")
  endif()
endfunction()

write_tree(clean)
expect(clean TRUE "4 files follow the layer order")

write_tree(upward "runtime/KLTimer.cpp=#include \"conference/service/KLService.h\"")
expect(upward FALSE "runtime/KLTimer.cpp:1: runtime/ includes the higher layer conference/")

write_tree(sideways "conference/registry/KLFeed.cpp=// feeds\n#include \"conference/service/KLService.h\"")
expect(sideways FALSE "conference/registry/KLFeed.cpp:2: conference/registry/ includes conference/service/")

write_tree(unplaced "plugins/KLPlugin.cpp=#include \"runtime/KLQueue.h\"")
expect(unplaced FALSE "src/plugins/ is not in the layer order")

write_tree(loose "conference/KLLoose.cpp=#include \"runtime/KLQueue.h\"")
expect(loose FALSE "src/conference/KLLoose.cpp belongs in one of the conference folders")

execute_process(COMMAND ${CHECK} ${SOURCE_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "src/ breaks the layer order:\n${out}")
endif()
