// placeholder: to be written (TInstallerForm::InitInstaller)
