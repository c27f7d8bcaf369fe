// placeholder, replaced by the runner work
