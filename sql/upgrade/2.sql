-- Upgrade from version 1 to version 2: a primary key on the four tables that had none, and
-- the schema_version table. Run by scripts/setup-db.sh --upgrade inside the database.
--
-- The server commits every ALTER TABLE on its own, so each step is one statement that either
-- happens whole or not at all, run only when its key is still missing: a run that stopped
-- half-way is simply run again. The version row is written last.
-- The new keys are invisible auto-increment ids, which keep every existing row (equal rows
-- included) and leave "SELECT *" and "INSERT ... VALUES" as they were.

DELIMITER //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'global_settings' AND lower(column_name) = 'settingsid') THEN
    ALTER TABLE global_settings
      ADD COLUMN SettingsID INT NOT NULL AUTO_INCREMENT INVISIBLE FIRST, ADD PRIMARY KEY (SettingsID);
  END IF;
END //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'projectmembers' AND lower(column_name) = 'memberid') THEN
    ALTER TABLE ProjectMembers
      ADD COLUMN MemberID INT NOT NULL AUTO_INCREMENT INVISIBLE FIRST, ADD PRIMARY KEY (MemberID);
  END IF;
END //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'msg_state' AND lower(column_name) = 'stateid') THEN
    ALTER TABLE msg_state
      ADD COLUMN StateID INT NOT NULL AUTO_INCREMENT INVISIBLE FIRST, ADD PRIMARY KEY (StateID);
  END IF;
END //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'activity_log' AND lower(column_name) = 'logid') THEN
    ALTER TABLE activity_Log
      ADD COLUMN LogID INT NOT NULL AUTO_INCREMENT INVISIBLE FIRST, ADD PRIMARY KEY (LogID);
  END IF;
END //

DELIMITER ;

CREATE TABLE IF NOT EXISTS schema_version (
  VersionID TINYINT NOT NULL,
  Version   INT     NOT NULL,
  PRIMARY KEY (VersionID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

START TRANSACTION;
INSERT INTO schema_version (VersionID, Version) VALUES (1, 2) ON DUPLICATE KEY UPDATE Version = 2;
COMMIT;
