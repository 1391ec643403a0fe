// Engine sources land here.
