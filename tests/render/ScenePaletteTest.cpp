// Filled in with the render subsystem's tests.
