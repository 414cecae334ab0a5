// The unit that compiles GoogleTest's header once for every test of the build.
