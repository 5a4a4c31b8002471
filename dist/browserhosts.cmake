# Run at install time (cmake --install, cpack): writes the native messaging
# host's manifests where Chromium, Chrome and Firefox look for them, naming
# the host at its installed place. Under the prefix /usr (the package) the
# browsers' folders are /etc/chromium, /etc/opt/chrome and /usr/lib/mozilla;
# under any other prefix the same folders sit inside that prefix.
set(prefix "${CMAKE_INSTALL_PREFIX}")
if(prefix STREQUAL "/usr")
  set(etc "/etc")
else()
  set(etc "${prefix}/etc")
endif()
set(host "${prefix}/bin/vidrona-browser-host")
set(chromium "{\n  \"name\": \"org.vidrona.browser\",\n  \"description\": \"Vidrona\",\n  \"path\": \"${host}\",\n  \"type\": \"stdio\",\n  \"allowed_origins\": [\"chrome-extension://hiemkdcfblalgmlpnmnopjohncebladp/\"]\n}\n")
set(firefox "{\n  \"name\": \"org.vidrona.browser\",\n  \"description\": \"Vidrona\",\n  \"path\": \"${host}\",\n  \"type\": \"stdio\",\n  \"allowed_extensions\": [\"browser@vidrona.org\"]\n}\n")
foreach(folder "${etc}/chromium/native-messaging-hosts" "${etc}/opt/chrome/native-messaging-hosts")
  message(STATUS "Installing: $ENV{DESTDIR}${folder}/org.vidrona.browser.json")
  file(WRITE "$ENV{DESTDIR}${folder}/org.vidrona.browser.json" "${chromium}")
endforeach()
message(STATUS "Installing: $ENV{DESTDIR}${prefix}/lib/mozilla/native-messaging-hosts/org.vidrona.browser.json")
file(WRITE "$ENV{DESTDIR}${prefix}/lib/mozilla/native-messaging-hosts/org.vidrona.browser.json" "${firefox}")
