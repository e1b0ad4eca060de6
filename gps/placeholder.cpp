// replaced as the library grows
