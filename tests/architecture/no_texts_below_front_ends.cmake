# The layers below the front ends report values; only the front ends (ui,
# cli) and reports choose words. A string-table include, a LoadStr call, a
# language offset or a widget in link, services or session fails this check.
foreach(dir link services session)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/src/${dir}/*.cpp" "${SOURCE_DIR}/src/${dir}/*.h")
  foreach(source ${sources})
    file(STRINGS "${source}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(line MATCHES "#include \"(config/strings\\.h|(config|reports|cli)/[a-z_]*_texts\\.h|ui/)"
         OR line MATCHES "LoadStr\\(|[Ll]anguageOffset|QWidget|QtWidgets")
        message(SEND_ERROR "${source}:${number}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
