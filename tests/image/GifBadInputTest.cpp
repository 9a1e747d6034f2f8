// Filled in with the GIF reader's tests.
