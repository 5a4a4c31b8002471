# The engine reports a failure as a cause and its facts; the window words
# it (ui/mainwindow/failuretexts.cpp). Fails when a source below the window
# hands a sentence of its own to a failure: a literal in net::fail(...), in
# a Failure{...} or in a {Reason::..., ...} made into one. Run as cmake -DSRC=<src folder> -P failurewords.cmake.
file(GLOB_RECURSE sources
  ${SRC}/net/*.cpp ${SRC}/net/*.h
  ${SRC}/download/*.cpp ${SRC}/download/*.h
  ${SRC}/resolve/*.cpp ${SRC}/resolve/*.h)
set(found "")
foreach(source ${sources})
  file(READ ${source} text)
  string(REGEX MATCHALL "(net::fail|Failure ?{|{ ?(net::)?Reason::[A-Za-z]+,)[^;{}]*QString(Literal)?\\(\"[^\"]*\"" hits "${text}")
  foreach(hit ${hits})
    string(REPLACE "\n" " " hit "${hit}")
    list(APPEND found "${source}: ${hit}")
  endforeach()
endforeach()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "no engine sources under ${SRC}")
endif()
if(found)
  string(REPLACE ";" "\n" found "${found}")
  message(FATAL_ERROR "the engine words a failure:\n${found}")
endif()
message(STATUS "${count} engine sources, no failure worded")
