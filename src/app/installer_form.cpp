// placeholder: to be written (TInstallerForm)
