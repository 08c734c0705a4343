# cmake -DFILE=<path> -P readable.cmake: rw for the owner, readable for everyone.
file(CHMOD ${FILE} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
