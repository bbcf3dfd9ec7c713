# Warnings are errors for our own code.
function(vantrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Collects the sources of one layer: every .cpp below DIR, so that adding a file needs
# no edit of a shared list.
function(vantrel_sources out dir)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${found} PARENT_SCOPE)
endfunction()
