# The readers of playlists, manifests, subtitles and a site's formats, the
# joiners and the sound's encoders report why not as a cause, a step and
# their facts; the window words them (ui/mainwindow/failuretexts.cpp,
# steptexts.cpp). Fails when a source below the window hands a sentence of
# its own to a refusal, a failed step or a why: a literal given to fail(),
# refuse() or refused(), one put in a why, error, refusal or reason, or
# one in a stream check's or a yt-dlp run's result; in the resolvers, a
# literal in an answer's refusal, a why or refusal kept for it, or its
# question.
# Run as cmake -DSRC=<src folder> -P refusalwords.cmake.
file(GLOB_RECURSE engine
  ${SRC}/net/*.cpp ${SRC}/net/*.h
  ${SRC}/download/*.cpp ${SRC}/download/*.h)
file(GLOB_RECURSE resolve ${SRC}/resolve/*.cpp ${SRC}/resolve/*.h)
set(literal "QString(Literal)?\\(\"[^\"]*\"")
set(given "(fail|refuse|refused)\\([^;]*${literal}")
set(kept "[^A-Za-z0-9_](why|error|refusal|reason) *\\+?= *${literal}")
set(result "{ ?(StreamCheck|RunResult)::[A-Za-z]+,[^;]*${literal}")
set(answer "[^A-Za-z0-9](m_)?(why|refusal|question|reason|message)(\\.[a-z]+)? *\\+?= *[^;]*${literal}")
set(found "")
function(look source pattern)
  file(READ ${source} text)
  string(REGEX MATCHALL "${pattern}" hits "${text}")
  foreach(hit ${hits})
    string(REPLACE "\n" " " hit "${hit}")
    list(APPEND found "${source}: ${hit}")
  endforeach()
  set(found "${found}" PARENT_SCOPE)
endfunction()
foreach(source ${engine})
  look(${source} "${given}")
  look(${source} "${kept}")
endforeach()
foreach(source ${resolve})
  look(${source} "${result}")
  look(${source} "${given}")
  look(${source} "${answer}")
endforeach()
list(LENGTH engine count)
if(count EQUAL 0)
  message(FATAL_ERROR "no engine sources under ${SRC}")
endif()
list(LENGTH found hits)
if(found)
  string(REPLACE ";" "\n" found "${found}")
  message(FATAL_ERROR "${hits} sentences worded below the window:\n${found}")
endif()
message(STATUS "${count} engine sources, no refusal worded")
