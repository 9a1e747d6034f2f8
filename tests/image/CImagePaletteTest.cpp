// Filled in with the image library's tests.
