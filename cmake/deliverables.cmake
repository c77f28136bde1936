# What a release ships: the Windows deliverables this tree builds. Each is installed flat into
# the install prefix as a component of its own name; the target `deliverables` builds them all,
# and deliverables.txt in the build tree lists them, one a line, for scripts/package.sh.
# A deliverable whose target the tree does not define is left out; the installer takes what
# is there.
set(kit_deliverable_targets VARNEL zorn-utility-cli Zorn_Utility ZornTest)
set(kit_present_deliverables)
foreach(target IN LISTS kit_deliverable_targets)
  if(TARGET ${target})
    install(TARGETS ${target}
      RUNTIME DESTINATION . COMPONENT ${target}
      LIBRARY DESTINATION . COMPONENT ${target}
      ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
    list(APPEND kit_present_deliverables ${target})
  endif()
endforeach()
add_custom_target(deliverables DEPENDS ${kit_present_deliverables})
list(JOIN kit_present_deliverables "\n" kit_deliverables_text)
file(WRITE ${PROJECT_BINARY_DIR}/deliverables.txt "${kit_deliverables_text}\n")
