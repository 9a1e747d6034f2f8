// Filled in with the JPEG and PNG readers' tests.
