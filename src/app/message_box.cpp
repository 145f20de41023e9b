// placeholder: to be written (the error box with its single "&Abort" button)
