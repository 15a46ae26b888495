-- The rows every Veltrana database starts with: the one global_settings row and the
-- master account ADMIN (password ADMIN; change it after the first login).
INSERT INTO global_settings (commondir, attachments, documents, SaveAsFiles)
  VALUES ('', '', '', 0);
INSERT INTO Users (Username, password, FirstName, LastName, Role, Created)
  VALUES ('ADMIN', 'ADMIN', 'Veltrana', 'Administrator', 'ADMIN', now());
