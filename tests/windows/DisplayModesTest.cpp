// Filled in with the saver windows' tests.
