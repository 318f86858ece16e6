# Package step: SHA256SUMS.txt over every file packed, in the form
# `sha256sum -c` reads ("<digest>  <path>", paths with forward slashes).
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(GLOB_RECURSE packed RELATIVE "${root}" "${root}/*")
list(REMOVE_ITEM packed SHA256SUMS.txt)
list(SORT packed)
set(sums "")
foreach(path IN LISTS packed)
  file(SHA256 "${root}/${path}" digest)
  string(APPEND sums "${digest}  ${path}\n")
endforeach()
file(WRITE "${root}/SHA256SUMS.txt" "${sums}")
